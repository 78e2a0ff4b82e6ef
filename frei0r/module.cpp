// The frei0r entry points: the module hosts load as `tonalith.so` from their frei0r folders.
// frei0r.h declares the entry points without C linkage of its own.
extern "C" {
#include <frei0r.h>
}

#include <new>

#include "frei0r/frei0r_filter.h"

using tonalith::frei0r::FilterInstance;

namespace {

enum Parameter { kChain = 0, kMix = 1, kParameterCount };

FilterInstance* Instance(f0r_instance_t instance) { return static_cast<FilterInstance*>(instance); }

}  // namespace

// The module is built with hidden visibility; these are its exports.
#pragma GCC visibility push(default)
extern "C" {

int f0r_init(void) { return 1; }

void f0r_deinit(void) {}

void f0r_get_plugin_info(f0r_plugin_info_t* info) {
    info->name = "Tonalith";
    info->author = "Tonalith";
    info->plugin_type = F0R_PLUGIN_TYPE_FILTER;
    info->color_model = F0R_COLOR_MODEL_RGBA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->major_version = 1;
    info->minor_version = 0;
    info->num_params = kParameterCount;
    info->explanation = "Exact colour correction: a chain of up to ten RGB, YCbCr, CMYK and HSV stages";
}

void f0r_get_param_info(f0r_param_info_t* info, int index) {
    switch (index) {
    case kChain:
        info->name = "chain";
        info->type = F0R_PARAM_STRING;
        info->explanation = "A chain file (JSON or 680-byte block), inline JSON, or stages as "
                            "'MODEL: LABEL=VALUE, ...' separated by ';'";
        break;
    case kMix:
        info->name = "mix";
        info->type = F0R_PARAM_DOUBLE;
        info->explanation = "Strength: 0 the original, 1 the corrected picture";
        break;
    default:
        break;
    }
}

f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
    try {
        return new FilterInstance(width, height);
    } catch (const std::exception&) {
        return nullptr;  // the host reports that the filter could not be created
    }
}

void f0r_destruct(f0r_instance_t instance) { delete Instance(instance); }

void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int index) {
    if (!instance || !param) return;
    switch (index) {
    case kChain: {
        const char* text = *static_cast<f0r_param_string*>(param);
        try {
            Instance(instance)->SetChain(text ? text : "");
        } catch (const std::exception&) {
            // Out of memory copying the text: the instance keeps what it had.
        }
        break;
    }
    case kMix:
        Instance(instance)->SetMix(*static_cast<f0r_param_double*>(param));
        break;
    default:
        break;
    }
}

void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int index) {
    if (!instance || !param) return;
    switch (index) {
    case kChain:
        *static_cast<f0r_param_string*>(param) = const_cast<char*>(Instance(instance)->Chain());
        break;
    case kMix:
        *static_cast<f0r_param_double*>(param) = Instance(instance)->Mix();
        break;
    default:
        break;
    }
}

void f0r_update(f0r_instance_t instance, double, const uint32_t* inframe, uint32_t* outframe) {
    if (instance && inframe && outframe) Instance(instance)->Process(inframe, outframe);
}

}  // extern "C"
#pragma GCC visibility pop
