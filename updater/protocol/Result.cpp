#include "Result.h"

Result::Result(Request const &request)
    : request(&request)
{ }

void Result::addUpdate(Update const &update)
{
    updates.push_back(&update);
}
