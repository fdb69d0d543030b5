#pragma once

// Ownership of GLib objects (the testbed, the ioctl handler, ioctl data kept
// for a later reap) without hand-written unrefs.

#include <glib-object.h>

#include <memory>

namespace veltrion::realports {

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object) g_object_unref(object);
    }
};

template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// A reference of our own to an object someone else owns.
template <typename T>
GObjectPtr<T> takeRef(T* object) {
    return GObjectPtr<T>(static_cast<T*>(g_object_ref(object)));
}

}  // namespace veltrion::realports
