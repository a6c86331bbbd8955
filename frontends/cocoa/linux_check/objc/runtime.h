// gcc's runtime defines object_getClass inline by reading the object's first field, which ARC
// forbids on an id. The check needs only the declaration, so the inline copy is renamed away.
#define object_getClass(declared) kestrova_unused_getClass(struct objc_object *object)
#include_next <objc/runtime.h>
#undef object_getClass
extern "C" Class object_getClass(id object);
