// One progress line on the terminal for a file's three stages: reading (the
// first tenth), filtering, writing (the last tenth). Quiet when stderr is no
// terminal or the user asked for quiet.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

class ProgressDisplay {
public:
    enum class Stage { Reading, Filtering, Writing };

    explicit ProgressDisplay(bool enabled) : enabled_(enabled) {}

    // A batch of this many files to work on: once one is done, each line
    // also shows the time the rest will take at the pace so far.
    void StartBatch(size_t files);
    void FileDone();
    // Starts a file: its label (with its place in a batch) and a fresh bar.
    void StartFile(const std::string& label);
    void Update(Stage stage, double done);  // done: 0 to 1 within the stage
    void FinishFile();
    // A message between progress lines (the bar is cleared first).
    void Print(const std::string& line);

private:
    void Draw(int percent, Stage stage);

    bool enabled_;
    std::mutex mutex_;  // files may be worked on in parallel
    std::string label_;
    int shown_ = -1;
    bool drawn_ = false;
    size_t batchFiles_ = 0, filesDone_ = 0;
    std::chrono::steady_clock::time_point batchStart_ = std::chrono::steady_clock::now();
};
