#include "VellDBConnection.h"

namespace VellDatabase {

// Out of line so that the class's vtable and type information live in this library.
VellDBConnection::~VellDBConnection() = default;

} // namespace VellDatabase
