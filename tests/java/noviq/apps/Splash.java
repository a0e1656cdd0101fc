// Takes over the launcher's splash screen: prints whether there is one, paints its left half
// green, then opens a window (which takes the splash down). Between the steps it writes
// <folder>/painted and <folder>/window and waits for <folder>/go, so that a test can look
// at the screen.
package noviq.apps;

import java.awt.Color;
import java.awt.Frame;
import java.awt.Graphics2D;
import java.awt.SplashScreen;
import java.io.File;

public class Splash {
    static void step(String folder, String name) throws Exception {
        new File(folder, name).createNewFile();
        File go = new File(folder, "go");
        while (!go.delete())
            Thread.sleep(10);
    }

    public static void main(String[] args) throws Exception {
        SplashScreen splash = SplashScreen.getSplashScreen();
        System.out.println("splash " + (splash != null ? splash.getImageURL() : null));
        if (splash == null)
            return;
        Graphics2D g = splash.createGraphics();
        g.setColor(Color.GREEN);
        g.fillRect(0, 0, splash.getSize().width / 2, splash.getSize().height);
        splash.update();
        step(args[0], "painted");
        Frame frame = new Frame("window");
        frame.setBounds(0, 0, 50, 50);
        frame.setVisible(true);
        System.out.println("visible after the window " + splash.isVisible());
        step(args[0], "window");
        frame.dispose();
    }
}
