package com.kestra.avm;

/**
 * Uploads decoded pictures into GL textures of the current context: the part
 * that the platform's GL utilities play for the app on a device.
 */
final class HostGl {
    static {
        System.loadLibrary("avmhost");
    }

    private HostGl() {}

    /**
     * Binds texture to GL_TEXTURE_2D of the current context and fills it with
     * width x height RGBA pixels, rows top first. Returns 1, or 0 when there
     * is no current context or the pixels do not match the size.
     */
    static native int texImage2D(int texture, int width, int height, byte[] rgba);
}
