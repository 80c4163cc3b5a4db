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

    // Holds the object for as long as one call on it lasts: a notification
    // handled while the call waits may release this reference (the window
    // unloads), and the object must outlive the call all the same.
    struct Pinned {
        std::shared_ptr<T> object;
        T *operator->() const { return object.get(); }
    };

    Pinned operator->() const
    {
        if (!object_)
            throw Failure::objectNotSet();
        return Pinned{object_};
    }
    T &operator*() const
    {
        if (!object_)
            throw Failure::objectNotSet();
        return *object_;
    }

    bool isNothing() const { return !object_; }
    void release() { object_.reset(); }
    const std::shared_ptr<T> &get() const { return object_; }

private:
    std::shared_ptr<T> object_;
};

} // namespace host
