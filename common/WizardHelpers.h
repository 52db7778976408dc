// Kept for the files that still include it by this name: the two functions now live in
// files named by what they do.
#pragma once

#include "ContentFolderName.h"
#include "TextFileEncoding.h"
