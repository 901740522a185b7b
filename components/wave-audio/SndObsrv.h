#pragma once

// The observer pair of the wave audio library: an observable tells its
// observers of every change, from the last attached to the first.

#include <functional>
#include <vector>

class TSndObservable;
class TSndObserver;

using TSndNotifyDataEvent = std::function<void(TSndObserver* sender, void* data)>;

class TSndObserver {
public:
    TSndObserver() = default;
    virtual ~TSndObserver();
    TSndObserver(const TSndObserver&) = delete;
    TSndObserver& operator=(const TSndObserver&) = delete;

    // Fires OnNotify (this, data) unless locked.
    virtual void Update(void* data);

    TSndObservable* Observable() const { return FObservable; }
    bool Locked() const { return FLocked; }
    void SetLocked(bool value) { FLocked = value; }

    TSndNotifyDataEvent OnNotify;

private:
    friend class TSndObservable;
    TSndObservable* FObservable = nullptr;
    bool FLocked = false;
};

class TSndObservable {
public:
    TSndObservable() = default;
    virtual ~TSndObservable();
    TSndObservable(const TSndObservable&) = delete;
    TSndObservable& operator=(const TSndObservable&) = delete;

    // Detaches the observer from its previous observable, then appends it.
    void AddObserver(TSndObserver* observer);
    // Acts only when the observer belongs to this observable.
    void RemoveObserver(TSndObserver* observer);
    // Calls Update (data) on every observer from the last to the first,
    // unless locked.
    void NotifyObservers(void* data);

    int Count() const { return static_cast<int>(FObservers.size()); }
    bool Locked() const { return FLocked; }
    void SetLocked(bool value) { FLocked = value; }

private:
    std::vector<TSndObserver*> FObservers;
    bool FLocked = false;
};
