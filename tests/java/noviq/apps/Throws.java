// Its main ends with an exception.
package noviq.apps;

public class Throws {
    public static void main(String[] args) {
        System.out.println("about to throw");
        throw new IllegalStateException("thrown from main");
    }
}
