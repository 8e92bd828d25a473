#include "fuzzsupport.h"

// One set-up for every target: the file targets find their root installed, the widget targets
// their application, and no target pays for the product's logging. The application costs a
// target that shows no widget only its start-up.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::quietLogging();
    fuzzsupport::sandbox();
    fuzzsupport::application();
    return 0;
}
