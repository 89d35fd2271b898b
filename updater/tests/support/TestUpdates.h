#ifndef TESTUPDATES_H
#define TESTUPDATES_H

#include "Update.h"

#include <string>

/**
 * Updates as tests need them: a component of project "vell" at version 2.0
 * with nothing but its name, type and package link, neither critical nor
 * dated. A test that cares about another field writes the Update out.
 */
namespace TestUpdates {

Update make(const std::string &name, const std::string &type, const std::string &link);

} // namespace TestUpdates

#endif // TESTUPDATES_H
