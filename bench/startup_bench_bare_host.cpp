// The smallest JNI host we can write, as the start-up benchmark's baseline: load libjvm.so,
// create the JVM on a new thread with a class path, call main, detach, destroy.
// Usage: startup_bench_bare_host LIBJVM CLASSPATH MAINCLASS (MAINCLASS with "/")
#include <cstdio>
#include <dlfcn.h>
#include <jni.h>
#include <pthread.h>
#include <string>

namespace {

struct Job {
    const char* libjvm;
    std::string classPathOption;
    const char* mainClass;
    int result = 1;
};

void* javaMain(void* argument) {
    Job& job = *static_cast<Job*>(argument);
    void* library = dlopen(job.libjvm, RTLD_NOW | RTLD_GLOBAL);
    if (!library)
        return nullptr;
    using Create = jint(JNICALL*)(JavaVM**, void**, void*);
    auto create = reinterpret_cast<Create>(dlsym(library, "JNI_CreateJavaVM"));
    if (!create)
        return nullptr;
    JavaVMOption options[] = {{job.classPathOption.data(), nullptr}};
    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_2;
    args.nOptions = 1;
    args.options = options;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    if (create(&vm, reinterpret_cast<void**>(&env), &args) != JNI_OK)
        return nullptr;
    jclass mainClass = env->FindClass(job.mainClass);
    jmethodID main =
        mainClass ? env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V") : nullptr;
    jobjectArray noArguments =
        main ? env->NewObjectArray(0, env->FindClass("java/lang/String"), nullptr) : nullptr;
    if (noArguments) {
        env->CallStaticVoidMethod(mainClass, main, noArguments);
        job.result = env->ExceptionOccurred() ? 1 : 0;
    }
    if (env->ExceptionOccurred())
        env->ExceptionDescribe();
    vm->DetachCurrentThread();
    vm->DestroyJavaVM();
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s LIBJVM CLASSPATH MAINCLASS\n", argv[0]);
        return 2;
    }
    Job job{argv[1], std::string("-Djava.class.path=") + argv[2], argv[3]};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 1 << 20);
    pthread_t thread;
    if (pthread_create(&thread, &attributes, javaMain, &job) != 0)
        return 1;
    pthread_join(thread, nullptr);
    return job.result;
}
