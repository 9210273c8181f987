#pragma once
// VST 2.4 interface declarations, from the free fst header.
#include "fstCorrected.h"
