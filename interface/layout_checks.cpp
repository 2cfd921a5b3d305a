// Pins the binary layout of our interface declarations to the offsets real
// hosts use. Compiled into every build, so both Windows cross builds check
// their own pointer width.
#include <cstddef>

#include "interface/about_record.h"
#include "interface/descriptor_procs.h"
#include "interface/filter_record.h"
#include "interface/handle_procs.h"
#include "interface/pixel_map.h"

namespace {
constexpr bool k64 = sizeof(void*) == 8;
constexpr size_t At(size_t x86, size_t x64) { return k64 ? x64 : x86; }
}  // namespace

#define PIN(record, field, x86, x64) \
    static_assert(offsetof(record, field) == At(x86, x64), #record "." #field " is misplaced")

static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "unexpected pointer width");

PIN(FilterRecord, serialNumber, 0, 0);
PIN(FilterRecord, abortProc, 4, 4);
PIN(FilterRecord, progressProc, 8, 12);
PIN(FilterRecord, parameters, 12, 20);
PIN(FilterRecord, imageSize, 16, 28);
PIN(FilterRecord, planes, 20, 32);
PIN(FilterRecord, filterRect, 22, 34);
PIN(FilterRecord, background, 30, 42);
PIN(FilterRecord, foreground, 36, 48);
PIN(FilterRecord, maxSpace, 44, 56);
PIN(FilterRecord, bufferSpace, 48, 60);
PIN(FilterRecord, inRect, 52, 64);
PIN(FilterRecord, inLoPlane, 60, 72);
PIN(FilterRecord, inHiPlane, 62, 74);
PIN(FilterRecord, outRect, 64, 76);
PIN(FilterRecord, outLoPlane, 72, 84);
PIN(FilterRecord, outHiPlane, 74, 86);
PIN(FilterRecord, inData, 76, 88);
PIN(FilterRecord, inRowBytes, 80, 96);
PIN(FilterRecord, outData, 84, 100);
PIN(FilterRecord, outRowBytes, 88, 108);
PIN(FilterRecord, isFloating, 92, 112);
PIN(FilterRecord, haveMask, 93, 113);
PIN(FilterRecord, autoMask, 94, 114);
PIN(FilterRecord, maskRect, 96, 116);
PIN(FilterRecord, maskData, 104, 124);
PIN(FilterRecord, maskRowBytes, 108, 132);
PIN(FilterRecord, backColor, 112, 136);
PIN(FilterRecord, foreColor, 116, 140);
PIN(FilterRecord, hostSig, 120, 144);
PIN(FilterRecord, hostProc, 124, 148);
PIN(FilterRecord, imageMode, 128, 156);
PIN(FilterRecord, imageHRes, 132, 160);
PIN(FilterRecord, imageVRes, 136, 164);
PIN(FilterRecord, floatCoord, 140, 168);
PIN(FilterRecord, wholeSize, 144, 172);
PIN(FilterRecord, monitor, 148, 176);
PIN(FilterRecord, platformData, 188, 216);
PIN(FilterRecord, bufferProcs, 192, 224);
PIN(FilterRecord, resourceProcs, 196, 232);
PIN(FilterRecord, processEvent, 200, 240);
PIN(FilterRecord, displayPixels, 204, 248);
PIN(FilterRecord, handleProcs, 208, 256);
PIN(FilterRecord, supportsDummyChannels, 212, 264);
PIN(FilterRecord, wantLayout, 214, 266);
PIN(FilterRecord, filterCase, 216, 268);
PIN(FilterRecord, dummyPlaneValue, 218, 270);
PIN(FilterRecord, premiereHook, 220, 272);
PIN(FilterRecord, advanceState, 224, 280);
PIN(FilterRecord, supportsAbsolute, 228, 288);
PIN(FilterRecord, wantsAbsolute, 229, 289);
PIN(FilterRecord, getPropertyObsolete, 232, 292);
PIN(FilterRecord, cannotUndo, 236, 300);
PIN(FilterRecord, supportsPadding, 237, 301);
PIN(FilterRecord, inputPadding, 238, 302);
PIN(FilterRecord, outputPadding, 240, 304);
PIN(FilterRecord, maskPadding, 242, 306);
PIN(FilterRecord, samplingSupport, 244, 308);
PIN(FilterRecord, inputRate, 248, 312);
PIN(FilterRecord, maskRate, 252, 316);
PIN(FilterRecord, colorServices, 256, 320);
PIN(FilterRecord, inLayerPlanes, 260, 328);
PIN(FilterRecord, inTransparencyMask, 262, 330);
PIN(FilterRecord, outPostDummyPlanes, 296, 364);
PIN(FilterRecord, inColumnBytes, 300, 368);
PIN(FilterRecord, inPlaneBytes, 304, 372);
PIN(FilterRecord, outColumnBytes, 308, 376);
PIN(FilterRecord, outPlaneBytes, 312, 380);
PIN(FilterRecord, imageServicesProcs, 316, 384);
PIN(FilterRecord, propertyProcs, 320, 392);
PIN(FilterRecord, inTileHeight, 324, 400);
PIN(FilterRecord, maskTileOrigin, 352, 428);
PIN(FilterRecord, descriptorParameters, 356, 432);
PIN(FilterRecord, errorString, 360, 440);
PIN(FilterRecord, channelPortProcs, 364, 448);
PIN(FilterRecord, documentInfo, 368, 456);
PIN(FilterRecord, sSPBasic, 372, 464);
PIN(FilterRecord, plugInRef, 376, 472);
PIN(FilterRecord, depth, 380, 480);
PIN(FilterRecord, iCCprofileData, 384, 484);
PIN(FilterRecord, canUseICCProfiles, 392, 496);
PIN(FilterRecord, hasImageScrap, 396, 500);
PIN(FilterRecord, bigDocumentData, 400, 504);
PIN(FilterRecord, input3DScene, 404, 512);
PIN(FilterRecord, output3DScene, 408, 520);
PIN(FilterRecord, createNewLayer, 412, 528);
PIN(FilterRecord, iCCWorkingProfileData, 416, 532);
PIN(FilterRecord, iCCWorkingProfileSize, 420, 540);
PIN(FilterRecord, bufferSpace64, 424, 544);
PIN(FilterRecord, maxSpace64, 432, 552);
PIN(FilterRecord, allowOverrangeColors, 440, 560);
PIN(FilterRecord, reserved, 441, 561);
static_assert(sizeof(FilterRecord) == At(488, 608), "FilterRecord has the wrong size");
static_assert(alignof(FilterRecord) == 4, "FilterRecord must be packed at 4");

PIN(AboutRecord, platformData, 0, 0);
PIN(AboutRecord, sSPBasic, 4, 8);
PIN(AboutRecord, plugInRef, 8, 16);
static_assert(sizeof(AboutRecord) == At(256, 272), "AboutRecord has the wrong size");

PIN(PlatformData, hwnd, 0, 0);
static_assert(sizeof(PlatformData) == At(4, 8), "PlatformData has the wrong size");

PIN(HandleProcs, numHandleProcs, 2, 2);
PIN(HandleProcs, newProc, 4, 8);
PIN(HandleProcs, disposeProc, 8, 16);
PIN(HandleProcs, getSizeProc, 12, 24);
PIN(HandleProcs, setSizeProc, 16, 32);
PIN(HandleProcs, lockProc, 20, 40);
PIN(HandleProcs, unlockProc, 24, 48);
PIN(HandleProcs, recoverSpaceProc, 28, 56);
PIN(HandleProcs, disposeRegularHandleProc, 32, 64);
static_assert(sizeof(HandleProcs) == At(36, 72), "HandleProcs has the wrong size");

PIN(PSPixelMap, bounds, 4, 4);
PIN(PSPixelMap, imageMode, 20, 20);
PIN(PSPixelMap, rowBytes, 24, 24);
PIN(PSPixelMap, colBytes, 28, 28);
PIN(PSPixelMap, planeBytes, 32, 32);
PIN(PSPixelMap, baseAddr, 36, 40);
PIN(PSPixelMap, mat, 40, 48);
PIN(PSPixelMap, masks, 44, 56);
PIN(PSPixelMap, maskPhaseRow, 48, 64);
PIN(PSPixelMap, maskPhaseCol, 52, 68);
PIN(PSPixelMap, pixelOverlays, 56, 72);
PIN(PSPixelMap, colorManagementOptions, 60, 80);
PIN(PSPixelMap, depth, 64, 84);
static_assert(sizeof(PSPixelMap) == At(68, 88), "PSPixelMap has the wrong size");

PIN(PSPixelMask, maskData, 4, 8);
PIN(PSPixelMask, rowBytes, 8, 16);
PIN(PSPixelMask, colBytes, 12, 20);
PIN(PSPixelMask, maskDescription, 16, 24);
static_assert(sizeof(PSPixelMask) == At(20, 32), "PSPixelMask has the wrong size");

PIN(PIDescriptorParameters, playInfo, 2, 2);
PIN(PIDescriptorParameters, recordInfo, 4, 4);
PIN(PIDescriptorParameters, descriptor, 8, 8);
PIN(PIDescriptorParameters, writeDescriptorProcs, 12, 16);
PIN(PIDescriptorParameters, readDescriptorProcs, 16, 24);
static_assert(sizeof(PIDescriptorParameters) == At(20, 32), "PIDescriptorParameters has the wrong size");

PIN(ReadDescriptorProcs, openReadDescriptorProc, 4, 8);
PIN(ReadDescriptorProcs, getKeyProc, 12, 24);
PIN(ReadDescriptorProcs, getEnumeratedProc, 40, 80);
PIN(ReadDescriptorProcs, getPinnedUnitFloatProc, 72, 144);
static_assert(sizeof(ReadDescriptorProcs) == At(76, 152), "ReadDescriptorProcs has the wrong size");

PIN(WriteDescriptorProcs, openWriteDescriptorProc, 4, 8);
PIN(WriteDescriptorProcs, putIntegerProc, 12, 24);
PIN(WriteDescriptorProcs, putEnumeratedProc, 36, 72);
PIN(WriteDescriptorProcs, putScopedObjectProc, 64, 128);
static_assert(sizeof(WriteDescriptorProcs) == At(68, 136), "WriteDescriptorProcs has the wrong size");
