#pragma once

// The program's texts and images.
#include "ImageLoader.h"
#include "TxtLoader.h"
