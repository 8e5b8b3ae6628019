/* A frame-hook plug-in for the tests: inverts the first plane (the luma of
 * a YUV picture) inside a box. Words: path [left top width height]; without
 * them the whole picture. Counts its configured and released contexts, so a
 * test can see that every context was let go. */
#include <stddef.h>
#include <stdlib.h>

#include "engine/frame_hook_api.h"

typedef struct Box {
  int left, top, width, height;
} Box;

static int live_contexts = 0;

VANTREL_HOOK_EXPORT int LiveContexts(void) { return live_contexts; }

VANTREL_HOOK_EXPORT int Configure(void** ctxp, int argc, char* argv[]) {
  Box* box = calloc(1, sizeof *box);
  if (!box) return -1;
  box->width = box->height = -1;
  if (argc == 5) {
    box->left = atoi(argv[1]);
    box->top = atoi(argv[2]);
    box->width = atoi(argv[3]);
    box->height = atoi(argv[4]);
  } else if (argc != 1) {
    free(box);
    return -1;
  }
  *ctxp = box;
  ++live_contexts;
  return 0;
}

VANTREL_HOOK_EXPORT void Process(void* ctx, VantrelHookPicture* picture, int pix_fmt, int width, int height,
                                 int64_t pts) {
  (void)pix_fmt;
  (void)pts;
  const Box* box = ctx;
  const int right = box->width < 0 ? width : box->left + box->width;
  const int bottom = box->height < 0 ? height : box->top + box->height;
  for (int y = box->top; y < bottom && y < height; ++y) {
    uint8_t* row = picture->data[0] + (ptrdiff_t)y * picture->linesize[0];
    for (int x = box->left; x < right && x < width; ++x) row[x] = (uint8_t)(255 - row[x]);
  }
}

VANTREL_HOOK_EXPORT void Release(void* ctx) {
  free(ctx);
  --live_contexts;
}
