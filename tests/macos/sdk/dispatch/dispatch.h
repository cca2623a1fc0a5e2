// Type-check stub: the dispatch calls the adapters use. In Objective-C files
// dispatch objects are Objective-C objects managed by ARC; elsewhere they are
// opaque pointers.
#pragma once

#include <stdint.h>
#include <sys/qos.h>

#ifdef __OBJC__
#include <objc/NSObject.h>
@protocol OS_dispatch_object <NSObject>
@end
@protocol OS_dispatch_queue <OS_dispatch_object>
@end
@protocol OS_dispatch_queue_serial <OS_dispatch_queue>
@end
@protocol OS_dispatch_queue_main <OS_dispatch_queue_serial>
@end
@protocol OS_dispatch_queue_global <OS_dispatch_queue>
@end
@protocol OS_dispatch_source <OS_dispatch_object>
@end
typedef NSObject<OS_dispatch_object>* dispatch_object_t;
typedef NSObject<OS_dispatch_queue>* dispatch_queue_t;
typedef NSObject<OS_dispatch_queue_main>* dispatch_queue_main_t;
typedef NSObject<OS_dispatch_queue_global>* dispatch_queue_global_t;
typedef NSObject<OS_dispatch_source>* dispatch_source_t;
#else
typedef struct dispatch_object_s* dispatch_object_t;
typedef struct dispatch_queue_s* dispatch_queue_t;
typedef struct dispatch_queue_s* dispatch_queue_main_t;
typedef struct dispatch_queue_s* dispatch_queue_global_t;
typedef struct dispatch_source_s* dispatch_source_t;
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*dispatch_function_t)(void*);
#ifdef __BLOCKS__
typedef void (^dispatch_block_t)(void);
#endif

dispatch_queue_main_t dispatch_get_main_queue(void);
dispatch_queue_global_t dispatch_get_global_queue(intptr_t identifier, uintptr_t flags);
void dispatch_async_f(dispatch_queue_t queue, void* context, dispatch_function_t work);

typedef const struct dispatch_source_type_s* dispatch_source_type_t;
extern const struct dispatch_source_type_s _dispatch_source_type_signal;
#define DISPATCH_SOURCE_TYPE_SIGNAL (&_dispatch_source_type_signal)

dispatch_source_t dispatch_source_create(dispatch_source_type_t type, uintptr_t handle,
                                         uintptr_t mask, dispatch_queue_t queue);
#ifdef __BLOCKS__
void dispatch_source_set_event_handler(dispatch_source_t source, dispatch_block_t handler);
#endif
void dispatch_source_cancel(dispatch_source_t source);
void dispatch_resume(dispatch_object_t object);
void dispatch_suspend(dispatch_object_t object);

#ifdef __cplusplus
}
#endif
