// A service: main runs until stop() is called, then ends with the status its first argument
// names (none: main returns). A shutdown hook shows that the JVM ended in order.
package noviq.apps;

import java.util.concurrent.CountDownLatch;

public class Daemon {
    private static final CountDownLatch stopped = new CountDownLatch(1);

    public static void main(String[] args) throws Exception {
        Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("hook ran")));
        System.out.println("main entered " + String.join(",", args));
        stopped.await();
        System.out.println("main stopped");
        if (args.length > 0)
            System.exit(Integer.parseInt(args[0]));
    }

    public static void stop() {
        System.out.println("stop called");
        stopped.countDown();
    }
}
