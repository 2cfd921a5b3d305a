// The points of one half of a star line, walked outward from the source.
#pragma once

#include <cstdint>

struct RayPoint {
    int32_t dx;     // column offset from the source
    int32_t dy;     // row offset from the source (rows count downward)
    double weight;  // streak weight at this point
};

struct RayList {
    int32_t capacity;  // points the storage holds
    int32_t last;      // index of the last point; -1 when empty
    RayPoint* points;
};

// The capacity a star line's list starts with; it doubles as the line grows.
constexpr int32_t kRayListCapacity = 128;

// Returns null when the list cannot be allocated.
RayList* NewRayList(int32_t capacity);
// Appends a point, doubling the storage when it is full. Returns false (and
// leaves the list as it was) when the storage cannot grow.
bool AppendRayPoint(RayList* list, int32_t dx, int32_t dy, double weight);
void ClearRayList(RayList* list);
void FreeRayList(RayList* list);
