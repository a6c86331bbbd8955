// On the Mac this is the system's WebKit; for the Linux check, the WebKit names we use are
// declared in apple_api.h, which the check includes ahead of every source.
#import "../apple_api.h"
