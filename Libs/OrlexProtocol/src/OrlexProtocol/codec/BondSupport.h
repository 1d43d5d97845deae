#pragma once
// The Bond support types the codec builds on: BondDataType and CoreException.

#include "bond/exception.h"
#include "bond/types.h"
