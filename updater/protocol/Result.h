#pragma once

#include <vector>

class Request;
class Update;

/// The updates offered for one request. Neither the request nor the updates are owned.
class Result
{
public:
    explicit Result(Request const &request);

    Request const *getRequest() const { return request; }
    std::vector<Update const *> const &getUpdates() const { return updates; }
    /// Appends the address of @p update; it must outlive this result.
    void addUpdate(Update const &update);

private:
    Request const *request;
    std::vector<Update const *> updates;
};
