/* Machine-dependent JNI types for the mingw-w64 build of the Windows launcher: the JDK
   installed here ships only the Linux variant of this header. */
#ifndef NOVIQ_JNI_MD_H
#define NOVIQ_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
