// The decoders of the further symbologies, each with its table release. They
// keep the decoder contract of the engine's own (engine/symbologies/).
#pragma once

#include "engine/reader.h"

int XR_DecodeTelepen(const ScanSignal& scan, MatchRecord& record);
// The same symbols read as a numeric label: digit pairs from the start.
int XR_DecodeTelepenNumeric(const ScanSignal& scan, MatchRecord& record);
void XR_FreeTelepenTables();

int XR_DecodeCode11(const ScanSignal& scan, MatchRecord& record);
void XR_FreeCode11Tables();

int XR_DecodeMsi(const ScanSignal& scan, MatchRecord& record);
void XR_FreeMsiTables();

int XR_DecodePlessey(const ScanSignal& scan, MatchRecord& record);
void XR_FreePlesseyTables();

int XR_DecodeIndustrial2of5(const ScanSignal& scan, MatchRecord& record);
void XR_FreeIndustrial2of5Tables();

int XR_DecodeIata2of5(const ScanSignal& scan, MatchRecord& record);
void XR_FreeIata2of5Tables();

int XR_DecodeMatrix2of5(const ScanSignal& scan, MatchRecord& record);
void XR_FreeMatrix2of5Tables();

int XR_DecodeDatalogic2of5(const ScanSignal& scan, MatchRecord& record);
void XR_FreeDatalogic2of5Tables();

// Reads only in the picture's left-to-right direction (see pharmacode.cpp).
int XR_DecodePharmacode(const ScanSignal& scan, MatchRecord& record);
void XR_FreePharmacodeTables();
