// Returns from main while a non-daemon thread still works for a while, then prints.
package noviq.apps;

public class Lingers {
    public static void main(String[] args) {
        final long millis = args.length > 0 ? Long.parseLong(args[0]) : 1000;
        Thread worker = new Thread(() -> {
            try {
                Thread.sleep(millis);
            } catch (InterruptedException e) {
                return;
            }
            System.out.println("worker done");
        });
        worker.start();
        System.out.println("main done");
    }
}
