package tarn.cam2;

import android.view.Surface;

/**
 * The host version of the app's activity: the four native methods of the
 * camera compositor, loaded the way the app loads them. The system property
 * "tarn.cam2.lib" names the native library (default "quadcam"), so tests can
 * load the build that exposes its internals.
 */
public class MainActivity {
    static {
        System.loadLibrary(System.getProperty("tarn.cam2.lib", "quadcam"));
    }

    /** Opens the four cameras, each delivering width x height frames. */
    public native void openCamera(int width, int height);

    /** Stops the output and closes the cameras. */
    public native void closeCamera();

    /** Hands over (or, with null, takes back) the preview surface. */
    public native void setPreviewSurface(Surface surface, int width, int height);

    /** Hands over (or, with null, takes back) the record surface. */
    public native void setRecordSurface(Surface surface, int width, int height);
}
