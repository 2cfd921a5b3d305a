// Setting the rectangles a filter asks the host for.
#pragma once

#include "interface/filter_record.h"

// Fills a Rect from values given in the order left, top, right, bottom; does
// nothing when given no rectangle.
void SetRectLTRB(Rect* rect, int16_t left, int16_t top, int16_t right, int16_t bottom);

// Empties inRect, outRect and maskRect, which tells the host that filtering is done.
void ClearRequestRects(FilterRecord* record);
