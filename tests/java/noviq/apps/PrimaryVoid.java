// A first instance whose secondaryMain returns nothing and takes its time.
package noviq.apps;

public class PrimaryVoid {
    public static void main(String[] args) throws Exception {
        Primary.main(args);
    }

    public static void secondaryMain(String[] args) throws Exception {
        Thread.sleep(1500);
        System.out.println("void secondary done");
    }
}
