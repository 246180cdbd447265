#ifndef ZELT_EXPORT_H
#define ZELT_EXPORT_H

#if defined(_WIN32)
#define ZELT_API
#else
/// Marks a class or function as part of libzelt.so's interface; everything else stays hidden.
#define ZELT_API __attribute__((visibility("default")))
#endif

#endif
