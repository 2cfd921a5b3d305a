#include "cli/progress_display.h"

#include <algorithm>
#include <cstdio>

namespace {
const char* StageName(ProgressDisplay::Stage stage) {
    switch (stage) {
        case ProgressDisplay::Stage::Reading: return "reading  ";
        case ProgressDisplay::Stage::Filtering: return "filtering";
        case ProgressDisplay::Stage::Writing: return "writing  ";
    }
    return "";
}
}  // namespace

void ProgressDisplay::StartBatch(size_t files) {
    std::lock_guard<std::mutex> lock(mutex_);
    batchFiles_ = files;
    filesDone_ = 0;
    batchStart_ = std::chrono::steady_clock::now();
}

void ProgressDisplay::FileDone() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++filesDone_;
}

void ProgressDisplay::StartFile(const std::string& label) {
    std::lock_guard<std::mutex> lock(mutex_);
    label_ = label;
    shown_ = -1;
}

void ProgressDisplay::Update(Stage stage, double done) {
    if (!enabled_) return;
    done = std::clamp(done, 0.0, 1.0);
    const double overall = stage == Stage::Reading     ? 0.1 * done
                           : stage == Stage::Filtering ? 0.1 + 0.8 * done
                                                       : 0.9 + 0.1 * done;
    std::lock_guard<std::mutex> lock(mutex_);
    const int percent = int(overall * 100);
    if (percent == shown_) return;
    shown_ = percent;
    Draw(percent, stage);
}

void ProgressDisplay::Draw(int percent, Stage stage) {
    const int filled = percent * 30 / 100;
    char eta[32] = "";
    if (batchFiles_ > 1 && filesDone_ > 0 && filesDone_ < batchFiles_) {
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - batchStart_).count();
        const long seconds = long(elapsed / double(filesDone_) * double(batchFiles_ - filesDone_) + 0.5);
        if (seconds >= 3600)
            std::snprintf(eta, sizeof eta, "  ETA %ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60, seconds % 60);
        else
            std::snprintf(eta, sizeof eta, "  ETA %ld:%02ld", seconds / 60, seconds % 60);
    }
    std::fprintf(stderr, "\r[%s%s] %3d%% %s %s%s\x1b[K", std::string(size_t(filled), '#').c_str(),
                 std::string(size_t(30 - filled), ' ').c_str(), percent, StageName(stage), label_.c_str(), eta);
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressDisplay::FinishFile() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (enabled_ && drawn_) {
        std::fputs("\r\x1b[K", stderr);
        std::fflush(stderr);
    }
    drawn_ = false;
}

void ProgressDisplay::Print(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (enabled_ && drawn_) std::fputs("\r\x1b[K", stderr);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    drawn_ = false;
}
