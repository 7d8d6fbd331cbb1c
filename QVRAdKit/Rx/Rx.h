#pragma once
// The module's reactive streams in one include.

#include "QVRAdKit/Rx/BehaviorRelay.h"    // IWYU pragma: export
#include "QVRAdKit/Rx/BehaviorSubject.h"  // IWYU pragma: export
#include "QVRAdKit/Rx/CombineLatest.h"    // IWYU pragma: export
#include "QVRAdKit/Rx/DisposeBag.h"       // IWYU pragma: export
#include "QVRAdKit/Rx/Observable.h"       // IWYU pragma: export
#include "QVRAdKit/Rx/ObservedValue.h"    // IWYU pragma: export
