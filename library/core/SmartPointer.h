#pragma once
// The library's owning pointer: the object and a shared 32-bit counter. A positive counter is
// the number of holders. Any holder may destroy the object at once; the counter then becomes
// the negative of the number of remaining holders, who see a null pointer, and each of their
// releases moves it towards 0; whoever brings it to 0 frees it.

#include <cstdint>
#include <new>
#include <type_traits>

namespace Quilna {

// The counter arithmetic, kept out of line: it is the same for every T.
namespace SmartCounter {
int32_t* make();              // a counter of 1, or nullptr
void join(int32_t* counter);  // one more holder
// One holder less; true when the caller must delete the object (it was the last holder of a
// live object). Frees the counter when it reaches 0.
bool leave(int32_t* counter);
// Deletes nothing itself: marks the object destroyed; true when the counter was freed.
bool destroyed(int32_t* counter);
}  // namespace SmartCounter

template <typename T>
class SmartPointer {
public:
    SmartPointer() = default;

    // Takes ownership of a fresh object. When the counter cannot be allocated the object is
    // deleted and the pointer stays null.
    explicit SmartPointer(T* fresh) {
        if (!fresh) return;
        counter_ = SmartCounter::make();
        if (!counter_) {
            delete fresh;
            return;
        }
        object_ = fresh;
    }

    SmartPointer(const SmartPointer& other) : object_(other.object_), counter_(other.counter_) { join(); }

    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    SmartPointer(const SmartPointer<U>& other) : object_(other.object_), counter_(other.counter_) {
        join();
    }

    SmartPointer& operator=(const SmartPointer& other) {
        if (this != &other) {
            SmartPointer copy(other);
            release();
            object_ = copy.object_;
            counter_ = copy.counter_;
            copy.object_ = nullptr;
            copy.counter_ = nullptr;
        }
        return *this;
    }

    // Slot 0: releases this holder.
    virtual ~SmartPointer() { release(); }

    // Slot 1: no object, or the object was destroyed through another holder.
    virtual bool isNull() const { return !object_ || !counter_ || *counter_ <= 0; }

    // Slot 2: releases this holder and forgets the object.
    virtual void reset() {
        release();
        object_ = nullptr;
        counter_ = nullptr;
    }

    // Slot 3: deletes the object now; the other holders see null from here on.
    virtual void destroy() {
        if (isNull()) {
            reset();
            return;
        }
        delete object_;
        SmartCounter::destroyed(counter_);
        object_ = nullptr;
        counter_ = nullptr;
    }

    // Slot 4: the same object.
    virtual bool operator==(const SmartPointer& other) const { return object_ == other.object_; }

    T* get() const { return isNull() ? nullptr : object_; }
    T* operator->() const { return get(); }
    T& operator*() const { return *get(); }
    explicit operator bool() const { return !isNull(); }

    // The counter as it stands (holders, or minus the holders left after a destroy).
    int32_t count() const { return counter_ ? *counter_ : 0; }

private:
    template <typename U>
    friend class SmartPointer;

    void join() {
        if (counter_) SmartCounter::join(counter_);
    }

    void release() {
        if (counter_ && SmartCounter::leave(counter_)) delete object_;
        object_ = nullptr;
        counter_ = nullptr;
    }

    T* object_ = nullptr;
    int32_t* counter_ = nullptr;
};

// Builds an object and hands it to a SmartPointer; null when either allocation fails.
template <typename T, typename... Args>
SmartPointer<T> makeSmart(Args&&... args) {
    return SmartPointer<T>(new (std::nothrow) T(static_cast<Args&&>(args)...));
}

}  // namespace Quilna
