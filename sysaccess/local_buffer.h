// A block of LocalAlloc memory owned by one scope.
//
// The program keeps the C++ library's containers out: std::string and
// std::vector bring the library's exception machinery with them (the
// unwinder, the demangler of the terminate handler), which alone would
// double the size of the statically linked program. Work buffers whose
// size is known only at run time come from LocalAlloc instead, and go back
// on every path when the owner leaves its scope.
#pragma once

#include <windows.h>

#include <cstddef>

template <class T>
class LocalBuffer {
public:
    // `count` zero-filled elements; get() is null when the allocation
    // failed or the byte count would overflow.
    explicit LocalBuffer(size_t count) : data_(nullptr), count_(0) {
        if (count == 0 || count > static_cast<size_t>(-1) / sizeof(T)) return;
        data_ = static_cast<T*>(LocalAlloc(LPTR, count * sizeof(T)));
        if (data_) count_ = count;
    }
    ~LocalBuffer() {
        if (data_) LocalFree(data_);
    }
    LocalBuffer(const LocalBuffer&) = delete;
    LocalBuffer& operator=(const LocalBuffer&) = delete;

    T* get() const { return data_; }
    size_t size() const { return count_; }
    void swap(LocalBuffer& other) {
        T* data = data_;
        data_ = other.data_;
        other.data_ = data;
        const size_t count = count_;
        count_ = other.count_;
        other.count_ = count;
    }

private:
    T* data_;
    size_t count_;
};
