#include "SndObsrv.h"

#include <algorithm>

TSndObserver::~TSndObserver()
{
    if (FObservable)
        FObservable->RemoveObserver(this);
}

void TSndObserver::Update(void* data)
{
    if (!FLocked && OnNotify)
        OnNotify(this, data);
}

TSndObservable::~TSndObservable()
{
    while (!FObservers.empty())
        RemoveObserver(FObservers.back());
}

void TSndObservable::AddObserver(TSndObserver* observer)
{
    if (!observer)
        return;
    if (observer->FObservable)
        observer->FObservable->RemoveObserver(observer);
    FObservers.push_back(observer);
    observer->FObservable = this;
}

void TSndObservable::RemoveObserver(TSndObserver* observer)
{
    if (!observer || observer->FObservable != this)
        return;
    const auto it = std::find(FObservers.rbegin(), FObservers.rend(), observer);
    if (it != FObservers.rend())
        FObservers.erase(std::next(it).base());
    observer->FObservable = nullptr;
}

void TSndObservable::NotifyObservers(void* data)
{
    if (FLocked)
        return;
    // A copy: an observer may detach itself while it is told.
    const std::vector<TSndObserver*> observers = FObservers;
    for (auto it = observers.rbegin(); it != observers.rend(); ++it)
        if (std::find(FObservers.begin(), FObservers.end(), *it) != FObservers.end())
            (*it)->Update(data);
}
