#pragma once
// Writing an envelope (a Block file) under a file name the user chose, through
// SaveBlockFile, so that a failed write never leaves a damaged file behind.

#include <QString>

#include "Block.h"

// True when the whole file was written and now stands under fileName; false
// otherwise, with the target as it was and no temporary file left behind.
bool WriteEnvelopeFile(const Block& envelope, const QString& fileName);
