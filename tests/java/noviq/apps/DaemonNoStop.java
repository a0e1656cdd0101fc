// A server as real ones are, without a static stop(): only the end of Java ends it, or its
// own main run again with "-shutdown <password>" (as H2's Server takes -tcpShutdown), which
// stops the running instance; another password throws, "-hang" never returns. Its first
// argument "slow-hook" gives it a shutdown hook that never ends.
package noviq.apps;

import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;

public class DaemonNoStop {
    private static volatile DaemonNoStop running;
    private final CountDownLatch stopped = new CountDownLatch(1);

    public static void main(String[] args) throws Exception {
        final String first = args.length > 0 ? args[0] : "";
        if (first.equals("-shutdown")) {
            if (!args[1].equals("secret"))
                throw new IllegalArgumentException("wrong password");
            running.stop();
            return;
        }
        if (first.equals("-hang"))
            Thread.sleep(Long.MAX_VALUE);
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            System.out.println("hook ran");
            try {
                if (first.equals("slow-hook"))
                    Thread.sleep(Long.MAX_VALUE);
            } catch (InterruptedException e) {
            }
        }));
        System.out.println("main entered");
        running = new DaemonNoStop();
        running.stopped.await(30, TimeUnit.SECONDS);
    }

    public void stop() {
        System.out.println("stopped");
        stopped.countDown();
    }
}
