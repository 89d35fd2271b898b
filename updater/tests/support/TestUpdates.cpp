#include "TestUpdates.h"

namespace TestUpdates {

Update make(const std::string &name, const std::string &type, const std::string &link)
{
    return Update("vell", name, type, "2.0", "", "", "", "", "", "", link, false, 0);
}

} // namespace TestUpdates
