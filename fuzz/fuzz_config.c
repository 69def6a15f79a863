/* Feeds any bytes to the encoder's config parser. */
#include "configfile.h"

#include <stddef.h>
#include <stdint.h>

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    struct encoder_config cfg;

    if (config_parse((const char *)data, size, "fuzz", &cfg) == 0)
        config_free(&cfg);
    return 0;
}
