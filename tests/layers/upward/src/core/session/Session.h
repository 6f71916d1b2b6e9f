#pragma once
#include "core/util/Low.h"
