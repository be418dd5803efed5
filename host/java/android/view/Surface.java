package android.view;

/**
 * The host stand-in of the platform's Surface, the object the app hands to
 * the native side. It carries the id of a memory-backed native window made by
 * the host platform (HostWindow_create / HostWindow_surfaceId);
 * ANativeWindow_fromSurface reads it back from the field "nativeWindowId".
 */
public final class Surface {
    private final long nativeWindowId;

    public Surface(long nativeWindowId) {
        this.nativeWindowId = nativeWindowId;
    }

    public long nativeWindowId() {
        return nativeWindowId;
    }
}
