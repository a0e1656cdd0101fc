// Returns from main at once; a daemon thread calls System.exit(7) a little later. Only a
// process that outlives main sees that call.
package noviq.apps;

public class ExitsLater {
    public static void main(String[] args) {
        Thread exiter = new Thread(() -> {
            try {
                Thread.sleep(700);
            } catch (InterruptedException e) {
                return;
            }
            System.out.println("exiting");
            System.exit(7);
        });
        exiter.setDaemon(true);
        exiter.start();
        System.out.println("main done");
    }
}
