#pragma once
// The hex-text conversion engine in one include: the header check, the
// decoder, the encoder and the names they use. Each runs synchronously,
// tells the user about every failure through the services it is given, and
// returns a ConversionResult.

#include "BinToHex.h"
#include "Format.h"
#include "HexToBin.h"
#include "Names.h"
#include "ReadTargetName.h"
