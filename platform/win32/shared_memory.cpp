#include "platform/shared_memory.h"

#include <cerrno>
#include <cstring>

#include "platform/com/ole_text.h"
#include "platform/win32/object_name.h"
#include "platform/win32/win32_error.h"

namespace corvo::platform {

namespace {

DWORD ViewAccess(bool writable) {
    return writable ? FILE_MAP_READ | FILE_MAP_WRITE : FILE_MAP_READ;
}

}  // namespace

std::optional<SharedMemory> SharedMemory::Adopt(HANDLE mapping, bool writable) {
    UniqueHandle holder(mapping);
    void* address = ::MapViewOfFileEx(mapping, ViewAccess(writable), 0, 0, 0, nullptr);
    if (address == nullptr) {
        SetErrnoFromLastError();
        return std::nullopt;
    }
    MEMORY_BASIC_INFORMATION info{};
    if (::VirtualQuery(address, &info, sizeof(info)) == 0) {
        SetErrnoFromLastError();
        ::UnmapViewOfFile(address);
        return std::nullopt;
    }
    return SharedMemory(std::move(holder), MappedView(address, info.RegionSize), writable);
}

std::optional<SharedMemory> SharedMemory::Create(std::u16string_view name, uint64_t size) {
    const auto objectName = KernelObjectName(name);
    if (!objectName) return std::nullopt;
    if (size == 0) {
        errno = EINVAL;
        return std::nullopt;
    }
    HANDLE mapping = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                          static_cast<DWORD>(size >> 32), static_cast<DWORD>(size),
                                          corvo::AsOleText(objectName->c_str()));
    if (mapping == nullptr) {
        SetErrnoFromLastError();
        return std::nullopt;
    }
    // CreateFileMappingW opens a live mapping of that name instead of failing;
    // creation fails here, as it does on every other system, so that a name
    // in use is never shared by accident.
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mapping);
        errno = EEXIST;
        return std::nullopt;
    }
    return Adopt(mapping, true);
}

std::optional<SharedMemory> SharedMemory::Open(std::u16string_view name, Access access) {
    const auto objectName = KernelObjectName(name);
    if (!objectName) return std::nullopt;
    const bool writable = access == Access::kReadWrite;
    HANDLE mapping =
        ::OpenFileMappingW(ViewAccess(writable), FALSE, corvo::AsOleText(objectName->c_str()));
    if (mapping == nullptr) {
        SetErrnoFromLastError();
        return std::nullopt;
    }
    return Adopt(mapping, writable);
}

std::optional<uint64_t> SharedMemory::Size() const {
    if (!whole_) return std::nullopt;
    return whole_.size();
}

bool SharedMemory::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
    if (!whole_ || offset > whole_.size() || out.size() > whole_.size() - offset) {
        errno = EIO;
        return false;
    }
    if (!out.empty()) std::memcpy(out.data(), whole_.data() + offset, out.size());
    return true;
}

bool SharedMemory::WriteAt(uint64_t offset, std::span<const uint8_t> in) const {
    if (!writable_) {
        errno = EACCES;
        return false;
    }
    if (!whole_ || offset > whole_.size() || in.size() > whole_.size() - offset) {
        errno = EIO;
        return false;
    }
    if (!in.empty()) std::memcpy(whole_.data() + offset, in.data(), in.size());
    return true;
}

std::optional<MappedView> SharedMemory::Map(size_t length) const {
    if (!whole_ || length == 0 || length > whole_.size()) {
        errno = EINVAL;
        return std::nullopt;
    }
    void* address = ::MapViewOfFileEx(mapping_.get(), ViewAccess(writable_), 0, 0, length, nullptr);
    if (address == nullptr) {
        SetErrnoFromLastError();
        return std::nullopt;
    }
    return MappedView(address, length);
}

}  // namespace corvo::platform
