// Counting replacements for the allocation, locking and output functions.
// Memory goes to glibc's __libc_* entry points, so no lookup is needed there;
// the others are found once with dlsym(RTLD_NEXT).
#include "tests/engine/forbidden_calls.h"

#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* pointer);
}

namespace {

std::atomic<bool> Armed{false};
std::atomic<int> Allocations{0};
std::atomic<int> Releases{0};
std::atomic<int> Locks{0};
std::atomic<int> Outputs{0};

void Count(std::atomic<int>& counter) {
    if (Armed.load(std::memory_order_relaxed)) counter.fetch_add(1, std::memory_order_relaxed);
}

// The C library's own definition of a replaced function, looked up on first use.
// No function-local static: its guard could itself lock.
template <typename Function>
Function Next(std::atomic<Function>& cache, const char* name) {
    Function function = cache.load(std::memory_order_relaxed);
    if (function != nullptr) return function;
    void* symbol = dlsym(RTLD_NEXT, name);
    if (symbol == nullptr) std::abort();
    std::memcpy(&function, &symbol, sizeof function);
    cache.store(function, std::memory_order_relaxed);
    return function;
}

std::atomic<int (*)(pthread_mutex_t*)> RealLock{nullptr};
std::atomic<int (*)(pthread_mutex_t*)> RealTryLock{nullptr};
std::atomic<ssize_t (*)(int, const void*, size_t)> RealWrite{nullptr};
std::atomic<size_t (*)(const void*, size_t, size_t, FILE*)> RealFwrite{nullptr};
std::atomic<int (*)(const char*)> RealPuts{nullptr};

void* Allocate(std::size_t size) {
    Count(Allocations);
    void* pointer = __libc_malloc(size == 0 ? 1 : size);
    if (pointer == nullptr) throw std::bad_alloc();
    return pointer;
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
    Count(Allocations);
    void* pointer = __libc_memalign(static_cast<std::size_t>(alignment), size == 0 ? 1 : size);
    if (pointer == nullptr) throw std::bad_alloc();
    return pointer;
}

void Release(void* pointer) {
    Count(Releases);
    __libc_free(pointer);
}

}  // namespace

namespace forbidden_calls {

void Arm() {
    Allocations = 0;
    Releases = 0;
    Locks = 0;
    Outputs = 0;
    Armed = true;
}

ForbiddenCallCounts Disarm() {
    Armed = false;
    return {Allocations.load(), Releases.load(), Locks.load(), Outputs.load()};
}

}  // namespace forbidden_calls

extern "C" {

void* malloc(size_t size) noexcept {
    Count(Allocations);
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) noexcept {
    Count(Allocations);
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size) noexcept {
    Count(Allocations);
    return __libc_realloc(pointer, size);
}

void* aligned_alloc(size_t alignment, size_t size) noexcept {
    Count(Allocations);
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size) noexcept {
    Count(Allocations);
    void* pointer = __libc_memalign(alignment, size);
    if (pointer == nullptr) return ENOMEM;
    *result = pointer;
    return 0;
}

void free(void* pointer) noexcept {
    Count(Releases);
    __libc_free(pointer);
}

int pthread_mutex_lock(pthread_mutex_t* mutex) noexcept {
    Count(Locks);
    return Next(RealLock, "pthread_mutex_lock")(mutex);
}

int pthread_mutex_trylock(pthread_mutex_t* mutex) noexcept {
    Count(Locks);
    return Next(RealTryLock, "pthread_mutex_trylock")(mutex);
}

ssize_t write(int fd, const void* data, size_t size) {
    Count(Outputs);
    return Next(RealWrite, "write")(fd, data, size);
}

size_t fwrite(const void* data, size_t size, size_t count, FILE* stream) {
    Count(Outputs);
    return Next(RealFwrite, "fwrite")(data, size, count, stream);
}

int puts(const char* text) {
    Count(Outputs);
    return Next(RealPuts, "puts")(text);
}

int printf(const char* format, ...) {
    Count(Outputs);
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vprintf(format, arguments);
    va_end(arguments);
    return written;
}

}  // extern "C"

// Every form of the global operator new and delete.
void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    Count(Allocations);
    return __libc_malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    Count(Allocations);
    return __libc_malloc(size == 0 ? 1 : size);
}
void* operator new(std::size_t size, std::align_val_t alignment) { return AllocateAligned(size, alignment); }
void* operator new[](std::size_t size, std::align_val_t alignment) { return AllocateAligned(size, alignment); }
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    Count(Allocations);
    return __libc_memalign(static_cast<std::size_t>(alignment), size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    Count(Allocations);
    return __libc_memalign(static_cast<std::size_t>(alignment), size == 0 ? 1 : size);
}

void operator delete(void* pointer) noexcept { Release(pointer); }
void operator delete[](void* pointer) noexcept { Release(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { Release(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { Release(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { Release(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { Release(pointer); }
void operator delete(void* pointer, std::align_val_t) noexcept { Release(pointer); }
void operator delete[](void* pointer, std::align_val_t) noexcept { Release(pointer); }
void operator delete(void* pointer, std::size_t, std::align_val_t) noexcept { Release(pointer); }
void operator delete[](void* pointer, std::size_t, std::align_val_t) noexcept { Release(pointer); }
void operator delete(void* pointer, std::align_val_t, const std::nothrow_t&) noexcept { Release(pointer); }
void operator delete[](void* pointer, std::align_val_t, const std::nothrow_t&) noexcept { Release(pointer); }
