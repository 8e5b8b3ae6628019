/* The interface of a frame-hook plug-in, the shared object named by the
 * "vhook" option. It exports, by these names and with C linkage:
 *   Process   (required) called for each picture the hooks run on; it may
 *             change the picture in place;
 *   Configure (required when the option gives more than the library path)
 *             called once when the hook is added, with the option's words
 *             (argv[0] is the library path); 0 means success, and what it
 *             stores in *ctxp is handed to Process and Release;
 *   Release   (optional) called once with that context when the engine lets
 *             the hook go.
 * Everything runs on the job's worker thread. Plain C, so a plug-in needs
 * nothing but this header. */
#ifndef VANTREL_FRAME_HOOK_API_H
#define VANTREL_FRAME_HOOK_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One picture: four plane pointers and four line sizes in bytes, laid out as
 * the pixel format given with it says (a value of the codec library's
 * AVPixelFormat, e.g. 0 for planar YUV 4:2:0). */
typedef struct VantrelHookPicture {
  uint8_t* data[4];
  int linesize[4];
} VantrelHookPicture;

typedef int (*VantrelHookConfigureFn)(void** ctxp, int argc, char* argv[]);
/* pts: the picture's time in microseconds. */
typedef void (*VantrelHookProcessFn)(void* ctx, VantrelHookPicture* picture, int pix_fmt, int width, int height,
                                     int64_t pts);
typedef void (*VantrelHookReleaseFn)(void* ctx);

#define VANTREL_HOOK_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
}
#endif

#endif
