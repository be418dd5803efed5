package com.kestra.avm;

import java.awt.image.BufferedImage;
import java.io.File;
import java.io.IOException;
import java.util.ArrayList;
import java.util.List;
import javax.imageio.ImageIO;

/**
 * The app's class around the renderer library, as the host runs it.
 *
 * <p>The library's name comes from the system property "com.kestra.avm.lib"
 * (default "avm"), so that tests can load the same objects with every symbol
 * visible ("avm_testable"). The renderer calls back into the three static
 * methods below: picture decoding into GL textures, notifications, and an
 * unzip hook that it looks up but never calls.
 */
public final class AVM {
    static {
        System.loadLibrary(System.getProperty("com.kestra.avm.lib", "avm"));
    }

    private AVM() {}

    // Native methods of the library. Init and Draw run on the GL thread.
    public static native int Init(String assetDir);
    public static native int Draw(int[] textures);
    public static native int SetCmd(int cmd, int arg);
    public static native int SetCar(String name, int mode);
    public static native int GenPlate(int region, String text, int style);
    public static native int SetTirePressure(int[] values);
    public static native int SetObj(int[][] objects);

    // The asset directory given to the last initialisation: relative
    // picture paths are resolved against it.
    private static volatile String assetDirectory = "";
    // Where "/sdcard/..." paths lead on this machine; null for the real path.
    private static volatile String deviceStorageRoot = null;

    // What the renderer asked for, kept for the tests and the demo.
    private static final List<Integer> notifications = new ArrayList<>();
    private static final List<String> loadRequests = new ArrayList<>();
    private static int loadCalls = 0;
    // Paths longer than this are counted but not kept.
    private static final int MAX_RECORDED_PATH = 4096;

    // Test switches: make a callback throw, to check that the library
    // survives a failing Java side.
    public static volatile boolean throwFromLoadTexture = false;
    public static volatile boolean throwFromNotify = false;
    // Test switch: every callback first runs callbackHook (the notification
    // code, 0 for a picture load), as an app whose handlers call the
    // renderer again from inside its calls. The test binds the native hook.
    public static volatile boolean hookInCallbacks = false;

    public static native void callbackHook(int code);

    /** Initialises the renderer on assetDir, as the app does at start-up. */
    public static int initialise(String assetDir) {
        assetDirectory = assetDir == null ? "" : assetDir;
        return Init(assetDir);
    }

    /** Makes "/sdcard/" paths lead below root (null: the real /sdcard). */
    public static void setDeviceStorageRoot(String root) {
        deviceStorageRoot = root;
    }

    public static void signalNotifyNative(int code, int a, int b, int c) {
        synchronized (notifications) {
            notifications.add(code);
        }
        if (hookInCallbacks) {
            callbackHook(code);
        }
        if (throwFromNotify) {
            throw new IllegalStateException("notification refused");
        }
    }

    public static int avmLoadTexture(String path, int texture, int mode) {
        synchronized (loadRequests) {
            loadCalls++;
            if (path != null && path.length() <= MAX_RECORDED_PATH) {
                loadRequests.add(path);
            }
        }
        if (hookInCallbacks) {
            callbackHook(0);
        }
        if (throwFromLoadTexture) {
            throw new IllegalStateException("picture refused");
        }
        if (path == null) {
            return 0;
        }
        File file = resolve(path);
        BufferedImage image;
        try {
            if (!file.isFile()) {
                return 0;
            }
            image = ImageIO.read(file);
        } catch (IOException | RuntimeException e) {
            return 0;
        }
        if (image == null) {
            return 0;  // no reader for the format, or not a picture
        }
        int width = image.getWidth();
        int height = image.getHeight();
        if (width <= 0 || height <= 0 || (long) width * height > (1 << 26)) {
            return 0;
        }
        return HostGl.texImage2D(texture, width, height, rgbaBytes(image)) != 0 ? 1 : 0;
    }

    /** Never called by the renderer; the host has nothing to unzip. */
    public static int avmUnZip(String source, String destination) {
        return 0;
    }

    /** The notification codes received since the last call. */
    public static int[] takeNotifications() {
        synchronized (notifications) {
            int[] codes = new int[notifications.size()];
            for (int i = 0; i < codes.length; i++) {
                codes[i] = notifications.get(i);
            }
            notifications.clear();
            return codes;
        }
    }

    /** The picture paths requested since the last call, in order. */
    public static String[] takeLoadRequests() {
        synchronized (loadRequests) {
            String[] paths = loadRequests.toArray(new String[0]);
            loadRequests.clear();
            loadCalls = 0;
            return paths;
        }
    }

    /** How many picture requests arrived since the last takeLoadRequests. */
    public static int loadCallCount() {
        synchronized (loadRequests) {
            return loadCalls;
        }
    }

    private static File resolve(String path) {
        String storage = deviceStorageRoot;
        if (storage != null && path.startsWith("/sdcard/")) {
            return new File(storage, path.substring("/sdcard/".length()));
        }
        File file = new File(path);
        if (file.isAbsolute()) {
            return file;
        }
        return new File(assetDirectory, path);
    }

    // Rows top first, 4 bytes per pixel in R, G, B, A order, not premultiplied.
    private static byte[] rgbaBytes(BufferedImage image) {
        int width = image.getWidth();
        int height = image.getHeight();
        int[] argb = image.getRGB(0, 0, width, height, null, 0, width);
        byte[] rgba = new byte[argb.length * 4];
        for (int i = 0; i < argb.length; i++) {
            int pixel = argb[i];
            rgba[4 * i] = (byte) (pixel >> 16);
            rgba[4 * i + 1] = (byte) (pixel >> 8);
            rgba[4 * i + 2] = (byte) pixel;
            rgba[4 * i + 3] = (byte) (pixel >>> 24);
        }
        return rgba;
    }
}
