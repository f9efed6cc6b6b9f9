// Preloaded in the sanitized test run: dlclose keeps every library mapped, so memory that
// Mesa's DRI driver holds in its globals is still seen as reachable when LeakSanitizer
// looks at exit, after SDL has unloaded OpenGL.
extern "C" int dlclose(void *handle)
{
    (void)handle;
    return 0;
}
