// Every symbology decoder the dispatcher knows, with its table release.
#pragma once

#include <cstdint>

#include "engine/reader.h"

int XR_DecodeEan13(const ScanSignal& scan, MatchRecord& record);
void XR_FreeEan13Tables();

int XR_DecodeEan8(const ScanSignal& scan, MatchRecord& record);
void XR_FreeEan8Tables();

int XR_DecodeUpcE(const ScanSignal& scan, MatchRecord& record);
void XR_FreeUpcETables();

// Reads a 2- or 5-digit add-on whose start guard begins at bar firstBar.
int XR_DecodeSupplement(const ScanSignal& scan, int32_t firstBar, MatchRecord& record);
// The add-on read on its own, from the signal's first bar.
int XR_DecodeSupplementAlone(const ScanSignal& scan, MatchRecord& record);
void XR_FreeSupplementTables();

int XR_DecodeCode128(const ScanSignal& scan, MatchRecord& record);
void XR_FreeCode128Tables();

int XR_DecodeCode39(const ScanSignal& scan, MatchRecord& record);
void XR_FreeCode39Tables();

int XR_DecodeCode93(const ScanSignal& scan, MatchRecord& record);
void XR_FreeCode93Tables();

int XR_DecodeInterleaved2of5(const ScanSignal& scan, MatchRecord& record);
void XR_FreeInterleaved2of5Tables();

int XR_DecodeCodabar(const ScanSignal& scan, MatchRecord& record);
void XR_FreeCodabarTables();

int XR_DecodePatchCode(const ScanSignal& scan, MatchRecord& record);
void XR_FreePatchCodeTables();
