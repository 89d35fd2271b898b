#include "VellArchiveBackend.h"

// Out of line so that the class's vtable and type information live in this library.
VellArchiveBackend::~VellArchiveBackend() = default;
