#ifndef RESULT_H
#define RESULT_H

#include <vector>

class Request;
class Update;

/// The updates offered for one request. Neither the request nor the updates are owned.
class Result
{
public:
    explicit Result(const Request &request);

    const Request *getRequest() const { return request; }
    const std::vector<const Update *> &getUpdates() const { return updates; }
    /// Appends the address of @p update; it must outlive this result.
    void addUpdate(const Update &update);

private:
    const Request *request;
    std::vector<const Update *> updates;
};

#endif // RESULT_H
