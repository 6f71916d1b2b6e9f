// A program of the core that reaches for the front end's command line: the
// layer check must refuse it.
#include "app/CommandLine.h"
#include "core/util/Low.h"
