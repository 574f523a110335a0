// Owners of the POSIX folder handles the host's platform code opens, and a folder opened by a
// path of any length.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <string>

#include "../common/unique_resource.h"

namespace tarvel::platform {

struct FolderListingTraits {
    using Handle = DIR*;
    static Handle empty() { return nullptr; }
    static void close(Handle listing) { closedir(listing); }
};
using FolderListing = UniqueResource<FolderListingTraits>;

struct DescriptorTraits {
    using Handle = int;
    static Handle empty() { return -1; }
    static void close(Handle descriptor) { ::close(descriptor); }
};
using Descriptor = UniqueResource<DescriptorTraits>;

// A folder's listing, opened through its descriptor, which the listing then owns.
inline FolderListing listingOf(Descriptor descriptor) {
    FolderListing listing;
    if (descriptor) {
        listing.reset(fdopendir(descriptor.get()));
        if (listing) {
            descriptor.release();
        }
    }
    return listing;
}

// The folder at path, opened with access (O_RDONLY to list it, O_PATH to know it) however long
// the path is: past the system's limit on a path, an absolute one is followed from / a name at
// a time. An empty holder, with errno set, when it cannot be opened.
Descriptor openFolder(const std::string& path, int access);

}  // namespace tarvel::platform
