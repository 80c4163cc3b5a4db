#pragma once

#include "host/Failure.h"

#include <memory>

namespace host {

// A reference to a host object that may not have been obtained yet.
// Using it while empty raises failure 91 instead of touching a null pointer.
template <class T>
class Ref {
public:
    Ref() = default;
    Ref(std::shared_ptr<T> object) : object_(std::move(object)) {} // NOLINT: implicit on purpose

    T *operator->() const
    {
        if (!object_)
            throw Failure::objectNotSet();
        return object_.get();
    }
    T &operator*() const { return *operator->(); }

    bool isNothing() const { return !object_; }
    void release() { object_.reset(); }
    const std::shared_ptr<T> &get() const { return object_; }

private:
    std::shared_ptr<T> object_;
};

} // namespace host
