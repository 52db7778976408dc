// The titles of the benchmark libraries: title n of 5 parts, one author, one source.
#pragma once

#include "BrenvaleDoc.h"

CMediaObject* MakeBenchTitle(int n);
