#pragma once
// Reaches up from the bottom folder: the layer check must refuse it.
#include "core/session/Session.h"
