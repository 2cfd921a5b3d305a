#include "host_services/request_rects.h"

void SetRectLTRB(Rect* rect, int16_t left, int16_t top, int16_t right, int16_t bottom) {
    if (!rect) return;
    rect->left = left;
    rect->top = top;
    rect->right = right;
    rect->bottom = bottom;
}

void ClearRequestRects(FilterRecord* record) {
    SetRectLTRB(&record->inRect, 0, 0, 0, 0);
    SetRectLTRB(&record->outRect, 0, 0, 0, 0);
    SetRectLTRB(&record->maskRect, 0, 0, 0, 0);
}
