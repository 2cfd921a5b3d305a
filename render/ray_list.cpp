#include "render/ray_list.h"

#include <cstdlib>

#include "core/allocation.h"

RayList* NewRayList(int32_t capacity) {
    auto* list = static_cast<RayList*>(AllocateBytes(sizeof(RayList)));
    if (!list) return nullptr;
    list->capacity = capacity > 0 ? capacity : 0;
    list->last = -1;
    list->points = nullptr;
    if (list->capacity > 0) {
        list->points = static_cast<RayPoint*>(AllocateBytes(size_t(list->capacity) * sizeof(RayPoint)));
        if (!list->points) {
            FreeBytes(list);
            return nullptr;
        }
    }
    return list;
}

bool AppendRayPoint(RayList* list, int32_t dx, int32_t dy, double weight) {
    if (list->last >= list->capacity - 1) {
        const int64_t grown = list->capacity > 0 ? 2 * int64_t(list->capacity) : kRayListCapacity;
        if (grown > INT32_MAX) return false;
        auto* points = static_cast<RayPoint*>(ResizeBytes(list->points, size_t(grown) * sizeof(RayPoint)));
        if (!points) return false;
        list->points = points;
        list->capacity = int32_t(grown);
    }
    ++list->last;
    list->points[list->last] = RayPoint{dx, dy, weight};
    return true;
}

void ClearRayList(RayList* list) { list->last = -1; }

void FreeRayList(RayList* list) {
    if (!list) return;
    if (list->capacity > 0) FreeBytes(list->points);
    FreeBytes(list);
}
