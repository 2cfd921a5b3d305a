// Tracing one star line: the pixel offsets of one half of the line through the
// source, with their streak weights.
#pragma once

#include <cstdint>

#include "render/ray_list.h"
#include "render/streak_profile.h"

// Reduces an angle in degrees into (-90, 90]: an angle and the same angle plus
// or minus any multiple of 180 give the same line.
double NormaliseLineAngle(double angle);

// Appends the points of one line, at the given angle in degrees, to a cleared
// list: point 0 is the source with weight 1.0, then one point per step of the
// major axis until the walk would leave the width x height rectangle. Returns
// false when the list could not hold every point.
bool TraceRay(RayList* list, int32_t width, int32_t height, double angle, const ProfileTable* table);
