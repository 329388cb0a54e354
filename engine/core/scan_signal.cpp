#include <algorithm>
#include <new>

#include "engine/reader.h"

ScanSignalPtr XR_NewScanSignal(int32_t sampleCount, int32_t pathCount, int32_t pathSpacing,
                               float sharpening, int32_t shiftRange) {
    if (sampleCount < 0 || sampleCount > kMaxSampleCount) return nullptr;
    ScanSignalPtr signal(new (std::nothrow) ScanSignal);
    if (!signal) return nullptr;
    const size_t n = static_cast<size_t>(sampleCount);
    signal->samples.reset(new (std::nothrow) float[n]());
    signal->barStarts.reset(new (std::nothrow) int32_t[n]());
    signal->barEnds.reset(new (std::nothrow) int32_t[n]());
    if (!signal->samples || !signal->barStarts || !signal->barEnds) return nullptr;
    signal->sampleCount = sampleCount;
    signal->pathCount = pathCount;
    signal->pathSpacing = pathSpacing;
    signal->sharpening = sharpening;
    signal->shiftRange = shiftRange;
    signal->barCount = 0;
    return signal;
}

void XR_FreeScanSignal(ScanSignalPtr signal) {
    signal.reset();
}

int32_t XR_FindBars(ScanSignal& signal) {
    const float* s = signal.samples.get();
    int32_t starts = 0;
    int32_t ends = 0;
    for (int32_t j = 1; j < signal.sampleCount; ++j) {
        if (s[j] < 0 && s[j - 1] >= 0) {
            signal.barStarts[starts++] = j;
        } else if (s[j] >= 0 && s[j - 1] < 0 && starts > 0) {
            signal.barEnds[ends++] = j;
        }
    }
    // A bar still open at the end has no end entry; mark the slot with the
    // signal's length so no stale value from an earlier signal is ever read.
    if (ends < starts) signal.barEnds[ends] = signal.sampleCount;
    signal.barCount = starts;
    return starts;
}

void XR_DropFirstBar(ScanSignal& signal) {
    if (signal.barCount <= 0) return;
    const int32_t n = signal.barCount;
    std::copy(signal.barStarts.get() + 1, signal.barStarts.get() + n, signal.barStarts.get());
    std::copy(signal.barEnds.get() + 1, signal.barEnds.get() + n, signal.barEnds.get());
    signal.barCount = n - 1;
}

int XR_ReverseSignal(ScanSignal* signal) {
    if (!signal) return 0;
    std::reverse(signal->samples.get(), signal->samples.get() + signal->sampleCount);
    std::swap(signal->startX, signal->stopX);
    std::swap(signal->startY, signal->stopY);
    XR_FindBars(*signal);
    return 1;
}

std::span<const float> XR_Stretch(const ScanSignal& signal, int32_t first, int32_t last) {
    if (first < 0 || last <= first || last > signal.sampleCount) return {};
    return {signal.samples.get() + first, static_cast<size_t>(last - first)};
}

bool XR_HasBarEnd(const ScanSignal& signal, int32_t k) {
    if (k < 0 || k >= signal.barCount) return false;
    if (k < signal.barCount - 1) return true;
    return signal.sampleCount > 0 && signal.samples[signal.sampleCount - 1] >= 0;
}
