// The two block-runtime functions GNUstep's headers expect from their own Objective-C runtime.
void *_Block_copy(const void *);
void _Block_release(const void *);
