// A service without stop(): only the end of Java can end it.
package noviq.apps;

public class DaemonNoStop {
    public static void main(String[] args) throws Exception {
        Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("hook ran")));
        System.out.println("main entered");
        Thread.sleep(30000);
    }
}
